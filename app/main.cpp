#include "app/startup.h"
#include "app/vennali_application.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    // The web views share OpenGL contexts with the widgets; this must be said
    // before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The program writes no files: no compiled shaders saved in the user's
    // cache, neither by Qt nor by the Mesa driver.
    QCoreApplication::setAttribute(Qt::AA_DisableShaderDiskCache);
    qputenv("MESA_SHADER_CACHE_DISABLE", "true");
    VennaliApplication app(argc, argv);
    return runVennali(app);
}
