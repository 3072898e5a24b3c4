// Process entry: the whole program runs in RunProgram.
#include "app/Startup.h"

int main(int argc, char** argv)
{
    return velmoro::RunProgram(argc, argv);
}
