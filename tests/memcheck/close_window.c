/* close_window WINDOW-ID: asks a top-level window to close the way a window manager's close
 * button does, with a WM_DELETE_WINDOW message. The memory check's session runs on a bare
 * virtual display, where no window manager is there to do it. */
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: close_window WINDOW-ID\n");
        return 2;
    }
    char *end = NULL;
    const unsigned long window = strtoul(argv[1], &end, 0);
    if (*argv[1] == '\0' || *end != '\0') {
        fprintf(stderr, "close_window: not a window id: %s\n", argv[1]);
        return 2;
    }
    Display *display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "close_window: cannot open the display\n");
        return 1;
    }
    XEvent event = {0};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XCloseDisplay(display); /* flushes the request */
    return sent != 0 ? 0 : 1;
}
