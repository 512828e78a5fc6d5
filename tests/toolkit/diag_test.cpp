// Diagnostics records and the tablet that draws their sketches.
#include <gtest/gtest.h>

#include "toolkit/diag/diag_object.h"
#include "toolkit/display/ui_tablet.h"
#include "toolkit/foundation/exceptions.h"

TEST(DiagObject, KeepsRecordsTheirEntriesAndDrawnTextInOrder) {
    kcUITablet tablet;
    tablet.draw(L"first", kcPoint(10.0, 50.0), kcColor::red, kcColor::pass, kcUIFormat(), kcUITablet::eLayer0);
    tablet.draw(L"second", kcPoint(10.0, 70.0), kcColor::blue, kcColor::white, kcUIFormat(12, 1), kcUITablet::eLayer2);
    const kcUISketch& sketch = tablet.sketch();
    // The first text's fields are checked where the result text is drawn.
    ASSERT_EQ(sketch.numTexts(), 2);
    EXPECT_EQ(sketch.text(1),
              (kcUISketchText{L"second", kcPoint(10.0, 70.0), kcColor::blue, kcColor::white, kcUIFormat(12, 1), 2}));
    EXPECT_THROW(sketch.text(2), kcBadArgument);

    kcDiagObject diag;
    EXPECT_THROW(diag.diagRecord(0), kcBadArgument);
    kcDiagRecord& first = diag.newDiagRecord();
    for (int i = 0; i < 100; ++i) diag.newDiagRecord();  // references to earlier records survive appends
    first.recordAnnotation(L"Color image");
    first.recordAnnotation(L"second note");
    first.sketch(sketch, kcDisplay::eImageCoordinates, L"Color Balance Result Text");
    first.sketch(kcUISketch(), kcDisplay::eDisplayCoordinates, L"empty");
    ASSERT_EQ(diag.numRecords(), 101);
    const kcDiagRecord& stored = diag.diagRecord(0);
    EXPECT_EQ(&stored, &first);
    EXPECT_EQ(stored.annotations(), (std::vector<std::wstring>{L"Color image", L"second note"}));
    ASSERT_EQ(stored.sketches().size(), 2u);
    const kcDiagSketch& drawn = stored.sketches()[0];
    EXPECT_TRUE(drawn.name == L"Color Balance Result Text" && drawn.coordinates == kcDisplay::eImageCoordinates &&
                drawn.sketch == sketch && stored.sketches()[1].name == L"empty");
    EXPECT_THROW(diag.diagRecord(101), kcBadArgument);
    EXPECT_THROW(diag.diagRecord(-1), kcBadArgument);
}

TEST(DiagRecord, SharesOrCopiesTheWindowOfImagesAsAsked) {
    kc3PlanePelBuffer color(4, 3);
    kcPelBuffer<unsigned char> grey(5, 2);
    grey.pointToRow(1)[4] = 50;
    grey.window(kcPelRect(3, 1, 2, 1));
    kcDiagRecord record;
    for (bool copy : {false, true}) record.image(color, copy);
    for (bool copy : {false, true}) record.image(grey, copy);
    color.plane1().pointToRow(2)[3] = 77;
    grey.pointToRow(1)[1] = 99;
    const std::vector<kcDiagImage>& images = record.images();
    ASSERT_EQ(images.size(), 4u);
    EXPECT_TRUE(images[0].isColor && images[1].isColor && !images[2].isColor && !images[3].isColor);
    // Shared, copied, shared, and the window alone copied.
    EXPECT_EQ(std::vector<int>({images[0].color.plane1().pointToRow(2)[3], images[1].color.plane1().pointToRow(2)[3],
                                images[2].grey.pointToRow(1)[1], int(images[3].grey.width()),
                                images[3].grey.pointToRow(0)[1]}),
              std::vector<int>({77, 0, 99, 2, 50}));
    EXPECT_THROW(record.image(kc3PlanePelBuffer(), false), kcBadArgument);
    EXPECT_THROW(record.image(kcPelBuffer_const<unsigned char>(), true), kcBadArgument);
}
