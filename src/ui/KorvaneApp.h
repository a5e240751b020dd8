#pragma once
// The application object: runs the main dialog and ends the process when it closes.
//
// main() builds, in this order: the message boxes, the run log (which consumes "-krvdebug" and
// may refuse the start), the Qt application (with a private argument list, so that Qt neither
// consumes nor reorders the process's own), then this object, whose InitInstance does the rest.
class CKorvaneApp {
  public:
    // Always false: the process ends when it returns.
    bool InitInstance();
};
