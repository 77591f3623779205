#include "app/main_view.h"

namespace vel::app {

std::vector<std::string> DescriptionLines() {
    const std::string dashes(57, '-');
    return {
        " Vel  pod Windows  wykonuje  cztery  zadania:",
        " 1. wy\x9c" "wietla dat\xea i godzin\xea wi\xea" "ksz\xb9 czcionk\xb9,",  // wyświetla datę i godzinę większą czcionką
        " 2. drukuje  z:  WQA,  WQB,  WQD,  WQE  oraz  WQC",
        "     na drukarkach przy\xb3\xb9" "czonych po USB i LAN,",  // przyłączonych
        " 3. od\x9c" "wie\xbf" "a tabel\xea kurs\xf3w walut w WQA i WQB,",  // odświeża tabelę kursów
        " 4. drukuje naklejki z kodami kreskowymi.",
        dashes,
        " Koniec pracy po klikni\xea" "ciu mysz\xb9 na godzinie.",  // kliknięciu myszką
        " Prawym zapisujemy wielko\x9c\xe6 i po\xb3o\xbf" "enie okna.",  // wielkość i położenie
        dashes,
        " Standard:  'one.exe',  'no.dll', 'no.reg', 'no.lib'",
        " oznacza, \xbf" "e pracuje w ka\xbf" "dej wersji Windows",  // że, każdej
        " i nie zanieczyszcza rejestru swoimi \x9cmieciami.",  // śmieciami
        dashes,
        " Inne programy mog\xb9 u\xbfywa\xe6 Vel o ile drukuj\xb9",  // mogą używać drukują
        " do katalogu, gdzie znajduje si\xea Vel.exe, zbiory",  // się
        " ##-???.??? sformatowane jako wydruk PCL5.",
    };
}


}  // namespace vel::app
