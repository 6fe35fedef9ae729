// The in-memory zip builder of the core tests, shared here for archives that
// carry fonts.
#include "../../Core/support/ZipFixture.cpp"
