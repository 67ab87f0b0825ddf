// The picture browser: one main window over the folder tree, the thumbnail
// grid and the picture view.
#include "ui/quillet.h"

int main(int argc, char** argv) {
    lorvex::CQuilletApp app(argc, argv);
    if (!app.InitInstance()) return 1;
    return app.exec();
}
