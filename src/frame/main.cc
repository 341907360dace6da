// Entry point of tagtree. Arguments are ignored; all the work is in the frame.
#include "frame/frame.h"

int main() { return tagtree::runTool(); }
