#include "app/startup.h"
#include "app/vennali_application.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    // The web views share OpenGL contexts with the widgets; this must be said
    // before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    VennaliApplication app(argc, argv);
    return runVennali(app);
}
