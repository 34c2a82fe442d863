#pragma once
#include "config/config_image.h"

#include <optional>

// Where the routing matrix puts things: two header rows and columns (device names,
// then port names), the router's own MIDI In as row 2 and MIDI Out as column 2,
// then one row per source port and one column per destination port, by global
// port number. The model, the click handler and the painter all ask this class.
class MatrixLayout {
public:
    static constexpr int kNameLine = 0;      // device names
    static constexpr int kPortLine = 1;      // "In k" / "Out k"
    static constexpr int kRouterLine = 2;    // the router's MIDI In (row) and MIDI Out (column)
    static constexpr int kFirstPortLine = 3;

    explicit MatrixLayout(int ports = 0) : ports_(ports) {}

    int ports() const { return ports_; }
    int size() const { return ports_ + kFirstPortLine; }  // rows and columns alike

    // The global port, or Route::kRouter, that a row or column beyond the headers stands for.
    static int endpointAt(int line) { return line == kRouterLine ? Route::kRouter : line - kFirstPortLine; }
    // The row (of a source) or column (of a destination) of a global port or Route::kRouter.
    static int lineOf(int endpoint) { return endpoint == Route::kRouter ? kRouterLine : endpoint + kFirstPortLine; }

    // The route a body cell stands for; none for a header cell or outside the grid.
    std::optional<Route> routeAt(int row, int column) const
    {
        if (!isBody(row) || !isBody(column))
            return std::nullopt;
        return Route{endpointAt(row), endpointAt(column)};
    }

private:
    bool isBody(int line) const { return line >= kRouterLine && line < size(); }

    int ports_;
};
