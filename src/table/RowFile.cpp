// Field-by-field reader and writer for row files; see RowFile.h for the
// accepted text and the corner cases.
#include "table/RowFile.h"

#include <cstddef>

namespace rows {
namespace {

bool isBlank(int b) { return b == ' ' || b == '\t'; }
bool isDigit(int b) { return b >= '0' && b <= '9'; }
bool isSign(int b) { return b == '+' || b == '-'; }

class FieldReader {
public:
    explicit FieldReader(const std::function<int()>& next) : next_(next) {}

    ReadResult run()
    {
        ReadResult result;
        result.cells.reserve(kFieldCount);
        while (result.cells.size() < static_cast<std::size_t>(kFieldCount)) {
            if (readField() != Outcome::Field)
                return result;
            result.cells.push_back(cell_);
        }
        result.ok = true;
        return result;
    }

private:
    enum class Outcome { Field, NoMoreFields, Error };

    // Where the current field stands. The Quoted* states mirror the plain
    // ones inside double quotes; Closed is after the closing quote.
    enum class State { Lead, Sign, Digits, Trail, QuotedLead, QuotedSign, QuotedDigits, QuotedTrail, Closed };

    // Once the source has said "end" it is not asked again.
    int take()
    {
        if (atEnd_)
            return -1;
        const int b = next_();
        if (b < 0)
            atEnd_ = true;
        return b < 0 ? -1 : b;
    }

    bool addDigit(int b)
    {
        const int d = b - '0';
        if (significant_ > 0 || d != 0)
            ++significant_;
        if (significant_ > kMaxSignificantDigits)
            return false;
        magnitude_ = magnitude_ * 10 + d;
        hasNumber_ = true;
        return true;
    }

    // Turns the state at a separator (or the end of the data) into the cell.
    Outcome finish(State s)
    {
        switch (s) {
        case State::Lead:
        case State::Digits:
        case State::Trail:
        case State::Closed:
            if (hasNumber_)
                cell_ = negative_ ? -magnitude_ : magnitude_;
            else
                cell_ = std::nullopt;
            return Outcome::Field;
        default: // a sign without digits, or a quote still open (quotes close before the separator)
            return Outcome::Error;
        }
    }

    Outcome readField()
    {
        State s = State::Lead;
        int length = 0;
        magnitude_ = 0;
        significant_ = 0;
        negative_ = false;
        hasNumber_ = false;

        int b = take();
        // The LF of a CR LF pair is only looked for when another field is
        // wanted, so nothing after a CR that ends the 63rd field is read.
        if (lfMayFollow_) {
            lfMayFollow_ = false;
            if (b == '\n')
                b = take();
        }
        // Many Windows editors begin a saved text with a UTF-8 byte order
        // mark; it is no part of the first field.
        if (atStart_) {
            atStart_ = false;
            if (b == 0xEF) {
                if (take() != 0xBB || take() != 0xBF)
                    return Outcome::Error;
                b = take();
            }
        }

        for (;; b = take()) {
            if (b < 0) {
                // The end of the data closes the line as a line end would, so
                // a field it ends (say after "3,") is the last one.
                const bool fieldStarted = !atLineStart_ || length > 0;
                atLineStart_ = true;
                if (!fieldStarted)
                    return Outcome::NoMoreFields;
                return finish(s);
            }
            if (b == ',' || b == '\n' || b == '\r') {
                atLineStart_ = b != ',';
                lfMayFollow_ = b == '\r';
                return finish(s);
            }
            if (++length > kMaxFieldBytes)
                return Outcome::Error;

            switch (s) {
            case State::Lead:
                if (isBlank(b))
                    break;
                if (b == '"')
                    s = State::QuotedLead;
                else if (isSign(b)) {
                    negative_ = b == '-';
                    s = State::Sign;
                } else if (isDigit(b) && addDigit(b))
                    s = State::Digits;
                else
                    return Outcome::Error;
                break;
            case State::QuotedLead:
                if (isBlank(b))
                    break;
                if (b == '"')
                    s = State::Closed;
                else if (isSign(b)) {
                    negative_ = b == '-';
                    s = State::QuotedSign;
                } else if (isDigit(b) && addDigit(b))
                    s = State::QuotedDigits;
                else
                    return Outcome::Error;
                break;
            case State::Sign:
            case State::QuotedSign:
                if (!isDigit(b) || !addDigit(b))
                    return Outcome::Error;
                s = s == State::Sign ? State::Digits : State::QuotedDigits;
                break;
            case State::Digits:
                if (isDigit(b)) {
                    if (!addDigit(b))
                        return Outcome::Error;
                } else if (isBlank(b))
                    s = State::Trail;
                else
                    return Outcome::Error;
                break;
            case State::QuotedDigits:
                if (isDigit(b)) {
                    if (!addDigit(b))
                        return Outcome::Error;
                } else if (isBlank(b))
                    s = State::QuotedTrail;
                else if (b == '"')
                    s = State::Closed;
                else
                    return Outcome::Error;
                break;
            case State::QuotedTrail:
                if (b == '"')
                    s = State::Closed;
                else if (!isBlank(b))
                    return Outcome::Error;
                break;
            case State::Trail:
            case State::Closed:
                if (!isBlank(b))
                    return Outcome::Error;
                break;
            }
        }
    }

    const std::function<int()>& next_;
    bool atEnd_ = false;
    bool atStart_ = true;
    bool atLineStart_ = true;
    bool lfMayFollow_ = false;

    // The field being read.
    Cell cell_;
    long long magnitude_ = 0;
    int significant_ = 0;
    bool negative_ = false;
    bool hasNumber_ = false;
};

} // namespace

ReadResult ReadRowFields(const std::function<int()>& next)
{
    return FieldReader(next).run();
}

ReadResult ReadRowFields(std::string_view bytes)
{
    std::size_t pos = 0;
    const std::function<int()> next = [&]() -> int {
        return pos < bytes.size() ? static_cast<unsigned char>(bytes[pos++]) : -1;
    };
    return ReadRowFields(next);
}

std::string CellText(const Cell& c)
{
    return c ? std::to_string(*c) : std::string();
}

std::string FormatRowFile(const std::vector<std::string>& items63)
{
    if (items63.size() != static_cast<std::size_t>(kFieldCount))
        return {};
    std::string out;
    for (const std::string& item : items63) {
        if (item.find_first_of("\r\n") != std::string::npos)
            return {};
        out += item;
        out += "\r\n";
    }
    return out;
}

} // namespace rows
