#pragma once

#include <QCoreApplication>
#include <QLocale>
#include <QString>

#include <cstdio>
#include <cstdlib>

// What every fuzz target shares: a failed invariant is a finding, reported and turned into a crash so the
// fuzzer keeps the input that caused it.

[[noreturn]] inline void fuzz_fail(const char* file, int line, const char* condition) {
    std::fprintf(stderr, "%s:%d: invariant violated: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            fuzz_fail(__FILE__, __LINE__, #condition);                                                       \
    } while (false)

// The regional formats the operator's machine may have: a point or a comma as decimal separator, with and
// without group separators.
inline QLocale fuzz_locale(unsigned choice) {
    switch (choice % 4) {
    case 0:
        return QLocale::c();
    case 1:
        return QLocale(QLocale::Italian, QLocale::Italy);
    case 2:
        return QLocale(QLocale::English, QLocale::UnitedStates);
    default:
        return QLocale(QLocale::German, QLocale::Germany);
    }
}

// Single-byte text as the wire and the files carry it.
inline QString latin1(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

// Some parts of Qt (timers, queued calls) want an application object; one is made for the whole run.
inline void fuzz_core_application() {
    static int argc = 1;
    static char name[] = "tankdef-fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}
