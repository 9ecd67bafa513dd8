#include "app/ConverterApp.h"
#include "media/DShow.h"
#include "res/ProgramResources.h"

int main(int argc, char** argv) {
    // The application object lives in a library; naming it here keeps it in the program.
    if (AfxGetApp() != &theApp) return 1;
    RegisterProgramResources();
    media::RegisterMediaClasses();
    return AfxWinMain(argc, argv);
}
