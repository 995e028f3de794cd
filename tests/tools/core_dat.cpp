// An installation's enciphered version file, for scripts (scripts/demo.sh prepares and reports a
// sample café installation with it):
//   core_dat write PATH VERSION CODE
//   core_dat read PATH             prints "VERSION CODE"
#include <stdio.h>
#include <string.h>
#include <string>
#include "CoreDataFile.h"

int main(int argc, char** argv)
{
    CCoreDataFile file(1);
    if (argc == 5 && strcmp(argv[1], "write") == 0) {
        file.SetPath(argv[2]);
        return file.Write(argv[3], argv[4], 1000) ? 0 : 1;
    }
    if (argc == 3 && strcmp(argv[1], "read") == 0) {
        file.SetPath(argv[2]);
        std::string version, code;
        if (!file.Get(version, code))
            return 1;
        printf("%s %s\n", version.c_str(), code.c_str());
        return 0;
    }
    fprintf(stderr, "usage: core_dat write PATH VERSION CODE | core_dat read PATH\n");
    return 2;
}
