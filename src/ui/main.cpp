#include "ui/app/TamrixControlApp.h"

int main(int argc, char** argv)
{
    CTamrixControlApp app;
    return app.Run(argc, argv);
}
