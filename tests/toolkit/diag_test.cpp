// Diagnostics records and the tablet that draws their sketches.
#include <gtest/gtest.h>

#include "toolkit/diag/diag_object.h"
#include "toolkit/display/ui_tablet.h"
#include "toolkit/foundation/exceptions.h"

TEST(UITablet, RecordsDrawnTextInOrderWithItsAttributes) {
    const kcUIFormat plain;
    EXPECT_EQ(plain.fontSize(), -1);
    EXPECT_EQ(plain.style(), 0);
    EXPECT_NE(kcColor::red, kcColor::pass);

    kcUITablet tablet;
    EXPECT_TRUE(tablet.sketch().empty());
    tablet.draw(L"first", kcPoint(10.0, 50.0), kcColor::red, kcColor::pass, plain, kcUITablet::eLayer0);
    tablet.draw(L"second", kcPoint(10.0, 70.0), kcColor::blue, kcColor::white, kcUIFormat(12, 1), kcUITablet::eLayer2);
    const kcUISketch& sketch = tablet.sketch();
    ASSERT_EQ(sketch.numTexts(), 2);
    EXPECT_EQ(sketch.text(0), (kcUISketchText{L"first", kcPoint(10.0, 50.0), kcColor::red, kcColor::pass, plain, 0}));
    EXPECT_EQ(sketch.text(1).text, L"second");
    EXPECT_EQ(sketch.text(1).point.y(), 70.0);
    EXPECT_EQ(sketch.text(1).format, kcUIFormat(12, 1));
    EXPECT_EQ(sketch.text(1).layer, 2);
    EXPECT_THROW(sketch.text(2), kcBadArgument);
}

TEST(DiagObject, KeepsRecordsAndTheirEntriesInOrder) {
    kcDiagObject diag;
    EXPECT_EQ(diag.numRecords(), 0);
    EXPECT_THROW(diag.diagRecord(0), kcBadArgument);

    kcDiagRecord& first = diag.newDiagRecord();
    // References to earlier records survive later appends.
    for (int i = 0; i < 100; ++i) diag.newDiagRecord();
    first.recordAnnotation(L"Color image");
    first.recordAnnotation(L"second note");
    kcUITablet tablet;
    tablet.draw(L"text", kcPoint(1.0, 2.0), kcColor::red, kcColor::pass, kcUIFormat(), kcUITablet::eLayer0);
    first.sketch(tablet.sketch(), kcDisplay::eImageCoordinates, L"Color Balance Result Text");
    first.sketch(kcUISketch(), kcDisplay::eDisplayCoordinates, L"empty");

    ASSERT_EQ(diag.numRecords(), 101);
    const kcDiagRecord& stored = diag.diagRecord(0);
    EXPECT_EQ(&stored, &first);
    EXPECT_EQ(stored.annotations(), (std::vector<std::wstring>{L"Color image", L"second note"}));
    ASSERT_EQ(stored.sketches().size(), 2u);
    EXPECT_EQ(stored.sketches()[0].name, L"Color Balance Result Text");
    EXPECT_EQ(stored.sketches()[0].coordinates, kcDisplay::eImageCoordinates);
    EXPECT_EQ(stored.sketches()[0].sketch, tablet.sketch());
    EXPECT_EQ(stored.sketches()[1].name, L"empty");
    EXPECT_TRUE(diag.diagRecord(100).annotations().empty());
    EXPECT_THROW(diag.diagRecord(101), kcBadArgument);
    EXPECT_THROW(diag.diagRecord(-1), kcBadArgument);
}

TEST(DiagRecord, SharesOrCopiesImagesAsAsked) {
    kc3PlanePelBuffer color(4, 3);
    kcPelBuffer<unsigned char> grey(5, 2);
    kcDiagRecord record;
    record.image(color, false);
    record.image(grey, true);
    record.image(color, true);
    record.image(grey, false);
    color.plane1().pointToRow(2)[3] = 77;
    grey.pointToRow(1)[4] = 99;

    const std::vector<kcDiagImage>& images = record.images();
    ASSERT_EQ(images.size(), 4u);
    EXPECT_TRUE(images[0].isColor);
    EXPECT_FALSE(images[1].isColor);
    EXPECT_TRUE(images[2].isColor);
    EXPECT_FALSE(images[3].isColor);
    EXPECT_EQ(images[0].color.plane1().pointToRow(2)[3], 77) << "shared";
    EXPECT_EQ(images[2].color.plane1().pointToRow(2)[3], 0) << "copied";
    EXPECT_EQ(images[3].grey.pointToRow(1)[4], 99) << "shared";
    EXPECT_EQ(images[1].grey.pointToRow(1)[4], 0) << "copied";
    EXPECT_EQ(images[1].grey.width(), 5);
    EXPECT_EQ(images[1].grey.height(), 2);

    // A copy takes only the window's pels.
    kcPelBuffer<unsigned char> windowed = grey;
    windowed.window(kcPelRect(3, 1, 2, 1));
    record.image(windowed, true);
    EXPECT_EQ(record.images().back().grey.width(), 2);
    EXPECT_EQ(record.images().back().grey.pointToRow(0)[1], 99);

    EXPECT_THROW(record.image(kc3PlanePelBuffer(), false), kcBadArgument);
    EXPECT_THROW(record.image(kcPelBuffer_const<unsigned char>(), true), kcBadArgument);
    EXPECT_EQ(record.images().size(), 5u);
}
