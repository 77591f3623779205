# Sourced by the end-to-end scripts: the sample report's words in a PDF.
# pdf_words_in_order PDF TEXT-OUT: true when pdftotext of PDF holds the
# sample report's Polish words, each after the one before; says what is
# missing otherwise.
pdf_words_in_order() {
    local pdf=$1 text=$2 w rest
    pdftotext -layout "$pdf" "$text" || return 1
    local expected=("Faktura VAT Nr FV/1/2026" "Zakład Usługowy" "Zażółć gęślą jażń" "Żółw i ślimak: 12,50 zł"
                    "Faktura VAT Nr FV/2/2026")
    rest=$(cat "$text")
    for w in "${expected[@]}"; do
        if [[ "$rest" != *"$w"* ]]; then
            echo "\"$w\" missing or out of order in the PDF's text:"; cat "$text"
            return 1
        fi
        rest=${rest#*"$w"}
    done
}
