// The precompiled headers of the tests are built from this source's targets, which depend on
// no library of the program, so they compile while the libraries do.
