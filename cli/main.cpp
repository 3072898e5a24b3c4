// Process entry of velmoro-cli: the whole run happens in RunCli.
#include "cli/CliApp.h"

int main(int argc, char** argv)
{
    return velmoro::cli::RunCli(argc, argv);
}
