// A program file like any other, but without a version block.
int main() { return 0; }
