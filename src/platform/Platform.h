#pragma once
// What the program needs of the machine besides windows: one shared random
// source (seeded with a number, drawing uniform values in [0, 1)), the time
// of day, and ending the process. Tests replace each of them.

#include <functional>
#include <memory>

class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual void Seed(double seed) = 0;
    virtual double Next() = 0; // uniform in [0, 1)
};

namespace Platform {

// Seeds the shared random source.
void Randomize(double seed);
// The next uniform value in [0, 1) from the shared random source.
double Rnd();
// Seconds since midnight, with their fraction.
double TimeOfDay();
// Ends the whole program: the routines given to AtEnd run, then the process
// ends without the application object's end (nothing else is saved).
void EndProcess();
// A routine EndProcess runs first, such as the last send to the school's
// server; newest first, each once however often it was given to AtEnd. Each routine
// bounds its own time: the child waits for it.
void AtEnd(void (*routine)());

// Replacements for tests; passing nothing restores the real one.
void SetRandomSource(std::unique_ptr<RandomSource> source);
void SetTimeOfDay(std::function<double()> clock);
void SetEndProcess(std::function<void()> end);

} // namespace Platform
