#include "dsp/FastMath.h"

namespace corvana::dsp::fastmath
{

namespace
{

Tables makeTables() noexcept
{
  Tables t{};
  for (int i = 0; i <= kLogEntries; ++i)
  {
    const double centre = 1.0 + static_cast<double>(i) / kLogEntries;
    t.inverse[static_cast<std::size_t>(i)] = 1.0 / centre;
    // Of the rounded inverse, so that m * inverse - 1 and this agree.
    t.logOfCentre[static_cast<std::size_t>(i)] = -std::log(t.inverse[static_cast<std::size_t>(i)]);
  }
  for (int j = 0; j < kExpEntries; ++j)
    t.exp2[static_cast<std::size_t>(j)] = std::exp2(static_cast<double>(j) / kExpEntries);
  return t;
}

} // namespace

const Tables kTables = makeTables();

} // namespace corvana::dsp::fastmath
