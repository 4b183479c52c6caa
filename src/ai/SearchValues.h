#pragma once

// The values the search gives a line, counted in material units (a pawn is 10) from the side to
// move's view. A node with no legal move ends the line whatever material was won on the way: a
// stalemate is worth 0 in all, a mate MateScore plus MateStep for each level of depth left below
// it, so that a shorter mate is worth more than a longer one by more than any positional score of
// a root move. Counted by the depth left rather than by the distance from the root, the value of
// a node stays a function of its position, colour and depth left, as the transposition table
// needs.

constexpr int MateScore = 5000;
constexpr int MateStep = 1000;
// Below every value a node can have: the best of a node before its first legal move.
constexpr int NoMoveValue = -1000000;
// Values from here on (up or down) are mates; material alone never comes near.
constexpr int MateThreshold = MateScore - MateStep / 2;

// The value of a node with no legal move for the side to move, whose material balance (its own
// pieces less the other side's) is `material`, with `depth` levels left below it.
constexpr int NoMoveNodeValue(bool inCheck, int depth, int material) {
    return (inCheck ? -(MateScore + MateStep * depth) : 0) - material;
}
