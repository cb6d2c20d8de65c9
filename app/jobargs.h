// The arguments that the extraction job reads, taken from the wide command line
// where the 8-bit one lost characters: Explorer hands "%1" to a program that
// reads its line in the ANSI code page, which shows a name outside that code
// page with '?' or with look-alike characters in it.
#pragma once

// One heap block laid out like SplitCommandLine's, with argc arguments: the
// program name as argv[0]; then, when the wide line splits into as many
// arguments as the 8-bit one, each wide argument in the ANSI code page if it
// holds it exactly, else its short path if that exists and the code page holds
// it, else "" (no such file, so the job drops it). When the counts disagree,
// the 8-bit arguments as they are. Null when memory runs out; free() the block.
char** BuildJobArguments(int argc, char** argv, const wchar_t* wideLine);
