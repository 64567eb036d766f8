#include "MainLayout.h"

namespace MainLayout {

QRect ContainerAfterResize(QRect Container, int RightColumnLeft, int OuterHeight,
                           int ClientHeight) {
    const int right = Container.left() + Container.width();
    if (right > RightColumnLeft - 5 || right < RightColumnLeft - 8)
        Container.setWidth(RightColumnLeft - 8 - Container.left());
    if (Container.top() + Container.height() > OuterHeight - 58)
        Container.setHeight(OuterHeight - 58);
    if (Container.top() + Container.height() > ClientHeight) Container.setHeight(ClientHeight - 19);
    return Container;
}

TChannelLabelLefts ChannelLabelLefts(int X0, bool HighDpi) {
    if (HighDpi) return {X0 + 28, X0 + 46, X0 + 19};
    return {X0 + 15, X0 + 35, X0 + 15};
}

} // namespace MainLayout
