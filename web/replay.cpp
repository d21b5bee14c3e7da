// web-replay: the page's engine run natively, for the tests. Reads one action a line on standard
// input (session.h) and writes, for each, the JSON the page gets for it. Lines starting with
// "#" are calls other than actions: "#map", "#explain STEP", "#model PATH" (a model file),
// "#restart" (the window as it opens, on the model in use).
//
//   web-replay < actions
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "web/engine_api.h"

int main() {
    std::string line;
    engine_restart();
    while (std::getline(std::cin, line)) {
        if (line.rfind("#model ", 0) == 0) {
            std::ifstream file(line.substr(7), std::ios::binary);
            std::stringstream text;
            text << file.rdbuf();
            const std::string path = line.substr(7);
            std::cout << engine_load_model(text.str(), path.substr(path.find_last_of('/') + 1))
                      << "\n";
        } else if (line == "#restart") {
            // The page opening a view afresh (a link, Back or Forward): the window as it opens.
            engine_restart();
            std::cout << engine_act("lock 0 0") << "\n";
        } else if (line == "#map") {
            std::cout << engine_map_json() << "\n";
        } else if (line.rfind("#explain ", 0) == 0) {
            std::cout << engine_explain_json(std::stod(line.substr(9))) << "\n";
        } else {
            std::cout << engine_act(line) << "\n";
        }
        std::cout.flush();
    }
    return 0;
}
