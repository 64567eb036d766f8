#include "MainLayout.h"

#include <gtest/gtest.h>

namespace {

TEST(MainLayout, ContainerKeepsItsGapToTheRightColumnAndFitsTheWindow) {
    struct Case {
        QRect container;
        int rightColumnLeft, outerHeight, clientHeight;
        QRect expected;
    };
    const Case cases[] = {
        // Gap of 5..8 pixels is kept as it is.
        {{272, 4, 669, 640}, 949, 740, 669, {272, 4, 669, 640}},
        {{272, 4, 672, 640}, 949, 740, 669, {272, 4, 672, 640}},
        // Too close or too far: the gap becomes 8.
        {{272, 4, 680, 640}, 949, 740, 669, {272, 4, 669, 640}},
        {{272, 4, 500, 640}, 949, 740, 669, {272, 4, 669, 640}},
        // Taller than the outer height allows, then than the client height.
        {{272, 4, 669, 700}, 949, 700, 800, {272, 4, 669, 642}},
        {{272, 4, 669, 640}, 949, 800, 600, {272, 4, 669, 581}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MainLayout::ContainerAfterResize(c.container, c.rightColumnLeft, c.outerHeight,
                                                   c.clientHeight),
                  c.expected)
            << c.container.width() << "x" << c.container.height();
}

} // namespace
