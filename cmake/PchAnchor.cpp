// Compiles the shared precompiled headers; it defines nothing.
