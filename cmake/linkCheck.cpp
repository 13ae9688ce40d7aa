// The program of a link check: it runs nothing; linking it with the whole of one library shows
// that the library links everything it uses.
int main()
{
    return 0;
}
