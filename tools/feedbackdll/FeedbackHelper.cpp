// A private library of a feedback-library variant, shipped beside it.
extern "C" __declspec(dllexport) int __cdecl OrvHelperValue()
{
    return 1;
}
