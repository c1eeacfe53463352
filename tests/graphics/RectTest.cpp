#include "graphics/ICanvas.h"
#include "graphics/IRECT.h"

#include <gtest/gtest.h>

namespace
{

using plug::graphics::IRECT;
using plug::graphics::IRECTList;

TEST(Rect, ContainsIsHalfOpenSoNeighboursShareNoPoint)
{
  const IRECT a(0, 0, 10, 10), b(10, 0, 20, 10);
  EXPECT_TRUE(a.Contains(0, 0));
  EXPECT_FALSE(a.Contains(10, 5));
  EXPECT_TRUE(b.Contains(10, 5));
  EXPECT_FALSE(a.Intersects(b));
  EXPECT_TRUE(a.Intersect(b).IsZero());
}

TEST(Rect, UnionAndIntersectionTreatEmptyAsAbsent)
{
  const IRECT a(0, 0, 10, 10), b(5, 5, 20, 8);
  EXPECT_EQ(a.Intersect(b), IRECT(5, 5, 10, 8));
  EXPECT_EQ(a.Union(b), IRECT(0, 0, 20, 10));
  EXPECT_EQ(IRECT().Union(b), b);
  EXPECT_EQ(b.Union(IRECT(3, 3, 3, 9)), b);
}

TEST(Rect, LayoutOperations)
{
  const IRECT r(10, 20, 110, 70);
  EXPECT_EQ(r.GetCentredInside(40, 16), IRECT(40, 37, 80, 53));
  EXPECT_EQ(r.SubRectHorizontal(4, 1), IRECT(35, 20, 60, 70));
  EXPECT_EQ(r.SubRectVertical(5, 4), IRECT(10, 60, 110, 70));
  EXPECT_EQ(r.GetGridCell(1, 1, 2, 2), IRECT(60, 45, 110, 70));
  EXPECT_EQ(r.GetFromRight(10).GetReducedFromTop(5), IRECT(100, 25, 110, 70));
  EXPECT_EQ(r.GetScaledAboutCentre(0.5f), IRECT(35, 32.5f, 85, 57.5f));
  // Artwork 2:1 fitted into a 100 × 50 box fills it; 1:1 takes a centred square.
  EXPECT_EQ(r.GetFittedInside(200, 100), r);
  EXPECT_EQ(r.GetFittedInside(10, 10), IRECT(35, 20, 85, 70));
  EXPECT_TRUE(r.GetFittedInside(0, 10).IsZero());
}

TEST(Rect, PixelSnapGrowsOutwardToWholeBackingPixels)
{
  const IRECT r(9.55f, 19.45f, 31.35f, 40.85f);
  EXPECT_EQ(r.GetPixelSnapped(1.f), IRECT(9, 19, 32, 41));
  EXPECT_EQ(r.GetPixelSnapped(2.f), IRECT(9.5f, 19, 31.5f, 41));
  const IRECT s = r.GetPixelSnapped(1.5f);
  EXPECT_FLOAT_EQ(s.L * 1.5f, 14.f);
  EXPECT_FLOAT_EQ(s.T * 1.5f, 29.f);
  EXPECT_FLOAT_EQ(s.R * 1.5f, 48.f);
  EXPECT_FLOAT_EQ(s.B * 1.5f, 62.f);
}

TEST(Rect, DirtyListMergesOverlapsAndKeepsDisjointRegions)
{
  IRECTList list;
  list.Add(IRECT(0, 0, 10, 10));
  list.Add(IRECT(20, 0, 30, 10));
  EXPECT_EQ(list.Size(), 2);
  // Bridging both merges all three into one.
  list.Add(IRECT(5, 2, 25, 4));
  ASSERT_EQ(list.Size(), 1);
  EXPECT_EQ(list.Get(0), IRECT(0, 0, 30, 10));
  list.Add(IRECT(40, 40, 40, 50)); // empty: ignored
  EXPECT_EQ(list.Size(), 1);
  EXPECT_EQ(list.Bounds(), IRECT(0, 0, 30, 10));
}

} // namespace
