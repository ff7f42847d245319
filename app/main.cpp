#include "app/programentry.h"

// The edition is chosen here, at build time, and only the menu table reads it.
#ifdef ZELVORA_EXAM_EDITION
constexpr Edition kEdition = Edition::Exam;
#else
constexpr Edition kEdition = Edition::Full;
#endif

int main(int argc, char** argv)
{
    return programEntry(argc, argv, kEdition, ZELVORA_VERSION);
}
