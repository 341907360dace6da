// Entry point of tagtree-explain; all the work is in its frame.
#include "explain/explain.h"

int main(int argc, char** argv) { return tagtree::explain::runExplain(argc, argv); }
