// The scoped GDI owners: an object deleted at the end of its scope, and a
// selection undone at the end of its scope (or left alone when the object
// was null).
#include "platform/gdi/ScopedGdi.h"
#include "tests/platform/gdi/GdiTestSupport.h"

namespace qv::test {
namespace {

TEST(ScopedGdi, AnOwnedObjectIsDeletedWhenItsScopeEnds) {
  HGDIOBJ pen = nullptr;
  {
    const qv::ScopedGdiObject<HPEN> owned(CreatePen(PS_SOLID, 1, RGB(1, 2, 3)));
    pen = owned.get();
    ASSERT_NE(pen, nullptr);
    EXPECT_EQ(GetObjectType(pen), static_cast<DWORD>(OBJ_PEN));
  }
  EXPECT_EQ(GetObjectType(pen), 0u);
}

TEST(ScopedGdi, AReleasedObjectOutlivesItsOwner) {
  HBRUSH brush = nullptr;
  {
    qv::ScopedGdiObject<HBRUSH> owned(CreateSolidBrush(RGB(4, 5, 6)));
    brush = owned.release();
  }
  EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
  EXPECT_TRUE(DeleteObject(brush));
}

TEST(ScopedGdi, ASelectionIsUndoneInReverseOrder) {
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  const HGDIOBJ firstPen = GetCurrentObject(dc, OBJ_PEN);
  const qv::ScopedGdiObject<HPEN> red(CreatePen(PS_SOLID, 1, RGB(255, 0, 0)));
  const qv::ScopedGdiObject<HPEN> blue(CreatePen(PS_SOLID, 1, RGB(0, 0, 255)));
  {
    const qv::ScopedSelectObject withRed(dc, red.get());
    EXPECT_EQ(withRed.old(), firstPen);
    {
      const qv::ScopedSelectObject withBlue(dc, blue.get());
      EXPECT_EQ(withBlue.old(), red.get());
      EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), blue.get());
    }
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), red.get());
    {
      const qv::ScopedSelectObject nothing(dc, nullptr);  // a control without a font of its own
      EXPECT_EQ(nothing.old(), nullptr);
    }
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), red.get());
  }
  EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), firstPen);
  DeleteDC(dc);
}

}  // namespace
}  // namespace qv::test
