// DravikVT: started by the user instead of Access. Reads nothing from the
// command line; everything comes from DravikVT.txt beside the executable.
#include "launcher/Launcher.h"
#include "platform/SystemPlatform.h"

int main() {
    auto platform = dravik::MakeSystemPlatform();
    return dravik::RunLauncher(*platform);
}
