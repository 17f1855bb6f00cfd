#!/usr/bin/env bash
# Configures (once) and builds incrementally into build/: everything, or the
# targets named as arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
# Line tables only (-g1): a crash's backtrace still names function, file
# and line, and the tree compiles in about four fifths of the time full
# debug information takes. For stepping through with a debugger, configure
# another tree with -DCMAKE_BUILD_TYPE=Debug.
if [[ ! -f build/build.ninja ]]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
fi
cmake --build build -j"$(nproc)" ${1:+--target "$@"}
