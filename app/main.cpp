#include "app/application.h"

int main(int argc, char **argv)
{
    return RunTelvoria(argc, argv);
}
