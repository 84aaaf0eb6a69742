// The executable: the whole life of the program is WinMain's.
#include "foundation/sys.h"

int main(int argc, char** argv) { return WinMain(argc, argv); }
