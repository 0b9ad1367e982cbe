#pragma once
// QVRoute: reads "qvroute.ini" in the current folder, looks up in the
// settings store where its product is installed, and opens the configured
// program there, or the fallback program or document when the product is
// not installed. Then it ends.

// The whole run; 0 in every case.
int Router_Run();
