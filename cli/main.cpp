// zelcli: the headless front end (placeholder until the interpreter lands).
int main() { return 0; }
