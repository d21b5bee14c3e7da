#include "model/state.h"

#include "model/model.h"

int User_Option[12];
double FRE_MAX, VDD_MAX;
double AREA_CONSTRT, POWER_CONSTRT, BW_CONSTRT, BW_CONSTRT_TSV;
double FRE, VDD_G;
double AREA_RESULT, POWER_RESULT, BW_RESULT, BW_RESULT_TSV;
int flag;
double best;
int check[3];

void reset_design_state() {
    static const int initial_options[12] = {0, 0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0};
    for (int i = 0; i < 12; i++)
        User_Option[i] = initial_options[i];
    // The start-up node: 65 nm (index 1) in the built-in model.
    User_Option[4] = active_model().start_node;
    // Until the first option change the ceilings belong to no node record.
    FRE_MAX = 3.0;
    VDD_MAX = 2.0;
    AREA_CONSTRT = 221.88;
    POWER_CONSTRT = 102.0;
    BW_CONSTRT = 46.44;
    BW_CONSTRT_TSV = 100.0;
    FRE = VDD_G = 0;
    AREA_RESULT = POWER_RESULT = BW_RESULT = BW_RESULT_TSV = 0;
    flag = 1;
    best = 100.0;
    check[0] = check[1] = check[2] = 0;
}

// Static initialisation gives the same start-up values without a call.
static const bool state_initialised = (reset_design_state(), true);
