// ortholay: the desktop program. One window, Form1; every run and save is
// started from it, and every failure is shown in a message box over it.

#include "app/ortholay_application.h"
#include "app/unit1.h"

int main(int argc, char** argv) {
    ortholay::OrtholayApplication application(argc, argv);
    return ortholay::RunMainWindow(application, [] { return std::make_unique<TForm1>(); });
}
