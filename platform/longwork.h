// Long work that a component of the application's process does for it (a data provider
// reading the rows of a query): the component tells how far it got and learns whether the
// user asked the running command to stop. The application implements qvLongWorkStep; a
// component used without it (its own tests) finds none and simply goes on.
#pragma once

extern "C" bool qvLongWorkStep(const char* what, long long done) __attribute__((weak));

namespace qv {

// Reports `done` units of the work named `what` ("Reading rows"); false when the user asked
// to stop, and the work should then end with an error, leaving what it worked on as it was.
inline bool LongWorkGoesOn(const char* what, long long done) {
    return !qvLongWorkStep || qvLongWorkStep(what, done);
}

}  // namespace qv
