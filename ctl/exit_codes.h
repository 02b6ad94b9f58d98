#pragma once

#include "link/exchange/controller_connection.h"

#include <QString>

namespace tuner {

// dccd-ctl's exit codes.
enum CtlExit : int {
    kExitOk = 0,
    kExitDifferent = 1,
    kExitUsage = 2, // a command line that is not understood
    kExitCannotOpen = 3,
    kExitNoAnswer = 4,
    kExitBadFile = 5,
    kExitVerifyMismatch = 6,
    kExitLineLost = 7,
};

// Why a command ends early: its exit code and the sentence to print.
struct CtlFailure {
    int exitCode = kExitUsage;
    QString message;
};

// An exchange with the controller that failed, as dccd-ctl ends on it.
inline CtlFailure FailureOf(const ExchangeProblem &problem) {
    switch (problem.kind) {
    case ExchangeFailure::CannotOpen:
        return {kExitCannotOpen, problem.message};
    case ExchangeFailure::NoReport:
        return {kExitNoAnswer, problem.message};
    case ExchangeFailure::LineLost:
        break;
    }
    return {kExitLineLost, problem.message};
}

} // namespace tuner
