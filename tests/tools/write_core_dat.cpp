// Writes an installation's enciphered version file: write_core_dat <data\core.dat> <version> <code>
// (used by scripts/demo.sh to prepare a sample café installation).
#include <stdio.h>
#include "CoreDataFile.h"

int main(int argc, char** argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: write_core_dat PATH VERSION CODE\n");
        return 2;
    }
    CCoreDataFile file(1);
    file.SetPath(argv[1]);
    return file.Write(argv[2], argv[3], 1000) ? 0 : 1;
}
