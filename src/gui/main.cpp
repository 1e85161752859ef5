#include "ui/KalvexApp.h"

int main(int argc, char** argv) {
    CKalvexApp app(argc, argv);
    return app.Run();
}
