#include "LayoutEngine.h"

namespace webview {

int Layouter::TableContent(Box* n, int x, int y, int width, Box* owner, int* used) {
    return Children(n, x, y, width, owner, used);
}

int Layouter::TableMaxContent(Box*) {
    return -1;
}

}  // namespace webview
