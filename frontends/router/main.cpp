// QVRoute: the router. Started without arguments in the folder of its ini file.

#include "frontends/router/Router.h"

int main() { return Router_Run(); }
