#include "LayoutEngine.h"

namespace webview {

int Layouter::FlexContent(Box* n, int x, int y, int width, Box* owner, int* used) {
    return Children(n, x, y, width, owner, used);
}

int Layouter::FlexMaxContent(Box*) {
    return -1;
}

}  // namespace webview
