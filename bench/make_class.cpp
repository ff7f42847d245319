// Writes a class folder for the grading benchmarks:
//   make_class FOLDER STUDENTS
#include <cstdio>

#include <QString>

#include "bench/classfolder.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_class FOLDER STUDENTS\n");
        return 2;
    }
    return writeClassFolder(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]).toInt()) ? 0 : 1;
}
