#include "app/VelkanApp.h"

namespace velkan {

VelkanApp::VelkanApp(int &argc, char **argv) : QApplication(argc, argv) {}

int VelkanApp::run()
{
    return 0;
}

} // namespace velkan
