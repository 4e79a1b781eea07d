<hr>
Reactie van <b>{name}</b>
<hr>

{comment}
