#pragma once

#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

#include <QByteArray>

// Remembers the named environment variables and puts them back as they were
// when it goes out of scope, an unset one unset again, so a test may change
// them freely.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(std::initializer_list<const char*> names);
    ~ScopedEnvironment();

    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::vector<std::pair<const char*, std::optional<QByteArray>>> saved_;
};
