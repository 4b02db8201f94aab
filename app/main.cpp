// The program block: the application titled "Mykotekshallen", the screens of the main menu,
// then start-up and the message loop on the program folder of the executable.
#include "content/unitContentScreens.h"
#include "shell/unitStartup.h"
#include "platform/Application.h"

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Mykotekshallen"));
    TApplication::SetTitle(QStringLiteral("Mykotekshallen"));
    RegisterCoreScreens();
    RegisterContentScreens();
    return RunProgramBlock();
}
