# The checks of a built stub, run by the Windows tree that built it.
quorvel_sources(STUB_CHECK built_stub_test.cpp)
