#include "app/startup.h"
#include "app/vennali_application.h"

int main(int argc, char *argv[])
{
    VennaliApplication app(argc, argv);
    return runVennali(app);
}
