#include "app/VelkanApp.h"

int main(int argc, char **argv)
{
    velkan::VelkanApp app(argc, argv);
    return app.run();
}
