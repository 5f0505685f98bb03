#pragma once
// The command kinds of a parsed script (TCommand::kind) and what each field
// of TCommand holds for each kind.
#include <cstdint>

enum : uint32_t {
    kCmdAssign = 1,
    kCmdCloseBrace = 2,
    kCmdIf = 3,
    kCmdElse = 4,
    kCmdLabel = 5,
    kCmdGoto = 6,
    kCmdReturn = 7,
    kCmdFunction = 8,
    kCmdFor = 9,
    kCmdBreak = 10,
    kCmdContinue = 11,
    kCmdExit = 14,
    kCmdPrintln = 15,
    kCmdPrint = 16,
    kCmdInput = 17,
    kCmdTapeRight = 18, // ishr
    kCmdTapeLeft = 19,  // ishl
    kCmdTapeAdd = 20,   // i+ / iadd
    kCmdTapeSub = 21,   // i- / isub
    kCmdTapeIn = 22,    // iin
    kCmdTapeOut = 23,   // iout
    kCmdTapeTest = 24,  // icmp
    kCmdTapeLoop = 25,  // iloop
    kCmdSystem = 26,
    kCmdCall = 27,
    kCmdUserCall = 28,
    kCmdIncr = 29,
    kCmdDecr = 30,
    kCmdSuper = 31,
    kCmdEnd = 32,
    // 33 to 45 belong to the game script, which parses and runs them itself.
    kCmdFirstGameKind = 33,
    kCmdLastGameKind = 45,
};

// What the fields of TCommand hold, by kind. Every command also has block
// (its nesting depth: 0 at the top, one more inside each enclosing block; an
// opener and its closing brace share it) and text position (where its first
// word begins in the text, for the line of an error). A dash is 0 or empty.
// clang-format off
//
// kind          argument                   target                   extra      name       arguments  target name
// ------------  -------------------------  -----------------------  ---------  ---------  ---------  ------------
//  1 x = ...    the number; 0x7FFFFFFF     -                        1: the     -          -          the variable
//               when the call after it                              call gives
//               gives it                                            the value
//  2 }          kind of the opener         for: the for's index;    -          -          -          -
//               (3, 4, 8, 9; game: 35,     if: end of its if/else
//               44)                        chain (once linked)
//  3 if (...) { index of the condition     its closing brace        -          -          -          -
//               in the expressions         (0xFFFFFFFF until read)
//  4 else {     1 for "else if" (the if    -                        -          -          -          -
//    else if    after it shares its block)
//  5 name:      -                          -                        -          label      -          -
//  6 goto       -                          -                        -          label      -          -
//  7 return     the value                  -                        -          -          -          -
//  8 function   its registry index         first parameter in the   parameter  function   -          -
//                                          pool (stored last first) count
//  9 for        start value                end value                -          counter    -          -
// 10 break,     the closing brace of the   -                        -          -          -          -
// 11 continue   loop it leaves or repeats
// 14 exit       -                          -                        -          -          -          -
// 15 println,   1: name is a variable;     -                        -          text or    -          -
// 16 print      0xFFFFFFFF: a literal                                          variable
// 17 input      -                          -                        -          -          -          the variable
// 18-25 tape    -                          -                        -          -          -          -
// 26 system     -                          -                        -          command    -          -
// 27 call,      1 when the assignment      -                        -          function   argument   -
// 28 user call  before it takes the result                                                text
// 29 incr,      -                          -                        -          -          -          the variable
// 30 decr
// 31 super      -                          -                        -          the        -          -
//                                                                              function
//                                                                              it is in
// 32 end        -                          -                        -          -          -          -
//
// clang-format on
// flag is 1 only on a function written "overridden function". Kinds 12 and
// 13 are never made. extra, flag, arguments and target name, which few kinds
// use, are read and set through TCommand's Extra(), Flag(), Arguments(),
// TargetName() and their setters.

// TCommand::extra of an assignment whose value comes from the call command
// stored right after it. Its argument then holds TCommand::kValueFromCall,
// which is also an ordinary number: only this mark tells them apart.
constexpr uint32_t kAssignFromCall = 1;

// The kinds that the interpreter runs itself (12 and 13 are never made).
inline bool IsBaseKind(uint32_t kind) {
    return kind >= kCmdAssign && kind <= kCmdEnd && (kind <= kCmdContinue || kind >= kCmdExit);
}

// The commands whose result an assignment may take.
inline bool IsCallKind(uint32_t kind) { return kind == kCmdCall || kind == kCmdUserCall || kind == kCmdSuper; }
