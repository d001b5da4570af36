#include "platform/Platform.h"

#include <QTime>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>
#include <unistd.h>

namespace {

class MersenneSource final : public RandomSource {
public:
    void Seed(double seed) override { engine_.seed(std::bit_cast<std::uint64_t>(seed)); }
    double Next() override
    {
        // 53 random bits give every double in [0, 1) the same chance and never 1.
        return static_cast<double>(engine_() >> 11) * 0x1.0p-53;
    }

private:
    std::mt19937_64 engine_{5489u};
};

std::unique_ptr<RandomSource>& Source()
{
    static std::unique_ptr<RandomSource> source = std::make_unique<MersenneSource>();
    return source;
}

std::function<double()>& Clock()
{
    static std::function<double()> clock;
    return clock;
}

std::function<void()>& Ender()
{
    static std::function<void()> end;
    return end;
}

std::vector<void (*)()>& EndRoutines()
{
    static std::vector<void (*)()> routines;
    return routines;
}

} // namespace

namespace Platform {

void Randomize(double seed) { Source()->Seed(seed); }

double Rnd() { return Source()->Next(); }

double TimeOfDay()
{
    if (Clock())
        return Clock()();
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

void EndProcess()
{
    // By index: a routine that gives another one does not upset the loop.
    for (std::size_t i = EndRoutines().size(); i-- > 0;)
        EndRoutines()[i]();
    if (Ender()) {
        Ender()();
        return;
    }
    ::_exit(0);
}

void AtEnd(void (*routine)())
{
    if (std::find(EndRoutines().begin(), EndRoutines().end(), routine) == EndRoutines().end())
        EndRoutines().push_back(routine);
}

void SetRandomSource(std::unique_ptr<RandomSource> source)
{
    Source() = source ? std::move(source) : std::make_unique<MersenneSource>();
}

void SetTimeOfDay(std::function<double()> clock) { Clock() = std::move(clock); }

void SetEndProcess(std::function<void()> end) { Ender() = std::move(end); }

} // namespace Platform
