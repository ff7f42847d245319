#include "tests/support/scopedenvironment.h"

#include <QtGlobal>

ScopedEnvironment::ScopedEnvironment(std::initializer_list<const char*> names)
{
    for (const char* name : names)
        saved_.emplace_back(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
}

ScopedEnvironment::~ScopedEnvironment()
{
    for (const auto& [name, value] : saved_) {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
}
