// The bench compiles tests/support/standard_account.cpp, which reports a
// program it could not start through GoogleTest's ADD_FAILURE; the bench is
// built without GoogleTest, so here that report goes to stderr.
#pragma once

#include <iostream>

namespace zendrel::bench {

struct FailureLine {
    FailureLine() { std::cerr << "failure: "; }
    ~FailureLine() { std::cerr << std::endl; }
    template <typename T>
    FailureLine& operator<<(const T& value) {
        std::cerr << value;
        return *this;
    }
};

}  // namespace zendrel::bench

#define ADD_FAILURE() ::zendrel::bench::FailureLine()
