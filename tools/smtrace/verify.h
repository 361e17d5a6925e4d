// smtrace verify: checks an implementation of an algorithm against the
// reference, its deliverable library, on generated cases or a golden file.
#pragma once

#include <cstdint>
#include <string>

namespace smtrace {

// The option values verify and golden share, as parsed from "--name VALUE"
// or "--name=VALUE"; each throws Failure(kUsage) for a bad value.
int64_t count_option(const std::string& name, const std::string& value, int64_t lowest,
                     int64_t highest);
uint64_t seed_option(const std::string& value);
// The value of the option in argv[i]: after its '=' (at equals), else the
// next argument, which i then steps over; Failure(kUsage) when there is none.
std::string option_value(const std::string& arg, size_t equals, int& i, int argc, char** argv);

// The defaults of both commands.
constexpr uint64_t kDefaultSeed = 1;
constexpr int32_t kDefaultLongestText = 40;
constexpr int32_t kLongestTextOption = 100000;

// smtrace verify ...; args are the arguments after "verify".
int verify_command(int argc, char** argv);

// The help of verify and golden, for smtrace verify --help.
std::string verify_help();

}  // namespace smtrace
