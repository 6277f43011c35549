#include "app/startup.h"
#include "app/vennali_application.h"

#include <QCoreApplication>

#include <unistd.h>

int main(int argc, char *argv[])
{
    // The web views share OpenGL contexts with the widgets; this must be said
    // before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The program writes no files: no compiled shaders saved in the user's
    // cache, neither by Qt nor by the Mesa driver.
    QCoreApplication::setAttribute(Qt::AA_DisableShaderDiskCache);
    qputenv("MESA_SHADER_CACHE_DISABLE", "true");
    // The web engine refuses to start its sandbox as root and would end the
    // whole program; as root it runs without one.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    VennaliApplication app(argc, argv);
    return runVennali(app);
}
